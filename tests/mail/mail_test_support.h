// Shared set-up of the mail tests: an in-memory registry in place of the
// user's, and readers of the account values the checks leave behind.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "mail/accounts.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "support/memory_registry.h"

namespace qv::test {

class MailRegistryTest : public ::testing::Test {
 protected:
  MailRegistryTest() : scoped_(&PlatformServices::registry, &registry_) {}

  RegKey Accounts() { return mail::OpenAccountsKey(true); }

  // The account's text value, or "<absent>".
  std::string Text(const std::string& name) {
    std::string text;
    RegKey key = mail::OpenAccountsKey(false);
    return TryReadKeyString(key, name, &text) ? text : "<absent>";
  }
  // The account's number value, or -1 when absent.
  long long Number(const std::string& name) {
    uint32_t value = 0;
    RegKey key = mail::OpenAccountsKey(false);
    return TryReadKeyDword(key, name, &value) ? static_cast<long long>(value) : -1;
  }

  MemoryRegistry registry_;

 private:
  ScopedService<Registry> scoped_;
};

}  // namespace qv::test
