#pragma once
// Address fields split into items with display name and address.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdEMailAddressItem {
public:
    std::string Address;
    std::string Name;

    std::string Text() const;
    void SetText(std::string_view text);
    std::string Domain() const;
    void SetDomain(std::string_view value);
    std::string User() const;
    void SetUser(std::string_view value);
    void Assign(const TIdEMailAddressItem& other) { Address = other.Address; Name = other.Name; }
};

class TIdEMailAddressList {
public:
    TIdEMailAddressItem& Add();
    int Count() const { return static_cast<int>(items_.size()); }
    TIdEMailAddressItem& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    const TIdEMailAddressItem& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    void Delete(int index);
    void Clear() { items_.clear(); }
    void Assign(const TIdEMailAddressList& other);
    void ParseAddressList(std::string_view value);

private:
    std::vector<std::unique_ptr<TIdEMailAddressItem>> items_;
};
