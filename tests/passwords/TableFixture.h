#pragma once

#include "engine/TKX_Pwd.h"
#include "passwords/TKX_PwdTable.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace vorlaxen::test {

// A password table over a key file in a fresh directory, with a scripted host whose master password
// dialog accepts `master`.
class TableTest : public ::testing::Test {
protected:
    TableTest() {
        table.MasterPass.KeyFilePath = keyPath;
        table.MasterPass.UseKeyFile = true;
        host.onAskMasterPassword = [this] {
            table.MasterPass.SetPassword(master);
            table.MasterPass.Valid = true;
        };
    }

    bool store(const std::string& key, const std::string& password) {
        file.SetPassword(password);
        const bool stored = table.StorePassword(key);
        EXPECT_TRUE(table.Entries.Empty()) << "no entry stays in memory after an operation";
        return stored;
    }

    // The password found for `key`, as typed.
    std::optional<std::string> find(const std::string& key) {
        file.ClearPassword();
        const bool found = table.FindPassword(key);
        EXPECT_TRUE(table.Entries.Empty()) << "no entry stays in memory after an operation";
        if (!found)
            return std::nullopt;
        std::string typed(file.Password.begin(), file.Password.begin() + file.PasswordLength);
        for (char& c : typed)
            c = static_cast<char>(c ^ kPasswordMask);
        return typed;
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& message : host.messages)
            texts.push_back(message.text);
        return texts;
    }

    TempDir dir;
    std::string keyPath = dir / "xwords.001";
    std::string master = "master-pw";
    FakeHost host;
    TKX_Pwd file;
    TKX_PwdTable table{host, host, host, file};
};

} // namespace vorlaxen::test
