#include "view/view_displays.h"

namespace view {

const char* PageCaption(Page page) {
    switch (page) {
    case Page::tsText: return "Textansicht";
    case Page::tsHTML: return "HTML-Ansicht";
    case Page::tsAnlagen: return "Anlagen";
    case Page::tsMailheader: return "Mail Header";
    }
    return "";
}

}  // namespace view
