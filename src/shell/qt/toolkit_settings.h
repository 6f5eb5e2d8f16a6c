#pragma once
// Qt's file dialog keeps the folders it visited in a settings file of its
// own (~/.config/QtProject.conf) each time it closes. The viewer writes no
// settings behind the user's back: the toolkit's user settings are pointed
// at a place that can be neither read nor written, so they live in memory
// for this run only.
//
// Settings of the viewer's own, if it ever keeps some, must name their file
// explicitly.

void KeepToolkitSettingsOffDisk();
