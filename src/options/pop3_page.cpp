#include "options/pop3_page.h"

#include "mail/accounts.h"
#include "settings/settings.h"

namespace qv::options {

void Pop3Page::LoadAccounts() {
  entries_.clear();
  modified_ = false;
  RegKey key = mail::OpenAccountsKey(false);
  if (!key) return;
  const uint32_t count = mail::ReadAccountCount(key);
  for (unsigned n = 1; n <= count; ++n) {
    const mail::Pop3Account read = mail::ReadAccount(key, n);
    if (!read.hasPassword || !read.hasUser || !read.hasServer || !read.hasInterval) break;
    AccountEntry entry;
    entry.server = read.server;
    entry.account = read.user;
    entry.password = read.password;
    entry.interval = read.interval;
    entry.useSpa = ReadKeyString(key, mail::AccountValueName(mail::kUseApopValue, n), "0",
                                 mail::kAccountTextBytes);
    // A record without a web-front address has none: read as "0" it would
    // show the box ticked with "0" for a URL.
    entry.webFront = ReadKeyString(key, mail::AccountValueName(mail::kWebFrontValue, n), "",
                                   mail::kAccountTextBytes);
    entries_.push_back(std::move(entry));
  }
}

bool Pop3Page::SaveAccounts() const {
  RegKey product = OpenProductKey();
  if (!product) return false;
  product.registry()->DeleteTree(product.get(), mail::kAccountsSubkey);
  RegKey key = mail::OpenAccountsKey(true);
  if (!key) return false;
  const uint32_t count = static_cast<uint32_t>(entries_.size());
  uint8_t bytes[4] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                      static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 24)};
  if (key.registry()->SetValue(key.get(), mail::kAccountCountValue, kRegDword, bytes,
                               sizeof bytes) != kErrorSuccess)
    return false;
  for (unsigned n = 1; n <= count; ++n) {
    const AccountEntry& entry = entries_[n - 1];
    mail::Pop3AccountSettings settings;
    settings.server = entry.server;
    settings.user = entry.account;
    settings.password = entry.password;
    settings.interval = entry.interval;
    settings.useApop = entry.useSpa == "1";
    settings.webFront = entry.webFront;
    mail::WriteAccount(key, n, settings);
  }
  return true;
}

std::string Pop3Page::ListLine(size_t index) const {
  const AccountEntry& entry = entries_.at(index);
  return entry.account + " at " + entry.server;
}

size_t Pop3Page::Add() {
  AccountEntry entry;
  entry.server = "new server " + std::to_string(entries_.size() + 1);
  entry.account = "new account";
  entry.interval = "10";
  // One character by count, not a one-character literal: GCC 12 warns of a
  // false overlap for the literal at -O2 on i686.
  entry.useSpa.assign(1, '0');
  entries_.push_back(std::move(entry));
  modified_ = true;
  return entries_.size() - 1;
}

int Pop3Page::Remove(size_t index) {
  if (index < entries_.size()) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    modified_ = true;
  }
  if (entries_.empty()) return -1;
  return static_cast<int>(index < entries_.size() ? index : entries_.size() - 1);
}

bool Pop3Page::SetField(size_t index, AccountField field, const std::string& text) {
  if (index >= entries_.size()) return false;
  AccountEntry& entry = entries_[index];
  std::string* target = nullptr;
  switch (field) {
    case AccountField::kServer:
      target = &entry.server;
      break;
    case AccountField::kAccount:
      target = &entry.account;
      break;
    case AccountField::kPassword:
      target = &entry.password;
      break;
    case AccountField::kInterval:
      target = &entry.interval;
      break;
    case AccountField::kWebFront:
      target = &entry.webFront;
      break;
  }
  if (*target == text) return false;
  *target = text;
  modified_ = true;
  return field == AccountField::kServer || field == AccountField::kAccount;
}

void Pop3Page::SetUseSpa(size_t index, bool on) {
  if (index >= entries_.size()) return;
  entries_[index].useSpa.assign(1, on ? '1' : '0');
  modified_ = true;
}

void Pop3Page::SetAutoCheck(size_t index, bool on) {
  if (index >= entries_.size()) return;
  entries_[index].interval = on ? "10" : "0";
  modified_ = true;
}

void Pop3Page::SetWebFront(size_t index, bool on) {
  if (index >= entries_.size()) return;
  entries_[index].webFront = on ? "http://" : "";
  modified_ = true;
}

bool Pop3Page::AutoCheckShown(const AccountEntry& entry) {
  return mail::IntervalMinutes(entry.interval) >= kMinInterval;
}

}  // namespace qv::options
