#include "platform/profile_file.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

using platform::ProfileFile;

TEST(ProfileFile, ReadsValuesByTheProfileRules)
{
    const ProfileFile profile
        = ProfileFile::parse("orphan=1\r\n"
                             "  [ Pfade ]  \r\n"
                             "  1  =  /a b/  \r\n"
                             "  ;2=/commented/\n"
                             "02=/zero two/\n"
                             "semi=a;b\n"
                             "dq=\" q \"\nsq=' q '\nmixed=\"x'\ninner=a \"b\" c\n"
                             "twice=first\nTWICE=second\n"
                             "[optionen]\nTage=7\n"
                             "[PFADE]\n1=/repeat/\n3=/only in repeat/\n");
    const std::tuple<const char *, const char *, std::optional<std::string>> cases[]
        = { { "Pfade", "1", "/a b/" }, { "PFADE", "2", {} }, { "Pfade", ";2", {} },
              { "Pfade", "02", "/zero two/" }, { "Pfade", "semi", "a;b" }, { "Pfade", "dq", " q " },
              { "Pfade", "sq", " q " }, { "Pfade", "mixed", "\"x'" },
              { "Pfade", "inner", "a \"b\" c" }, { "pfade", "Twice", "first" },
              { "Pfade", "3", {} }, { "Pfade", "orphan", {} }, { "Optionen", "tage", "7" },
              { "Fehlt", "1", {} } };
    for (const auto &[section, key, expected] : cases)
        EXPECT_EQ(profile.value(section, key), expected) << section << '/' << key;
}

TEST(ProfileFile, LoadsARealFileWithoutCuttingLongValues)
{
    const testing_support::TempTree tree;
    const std::string longPath = "/" + std::string(5000, 'd') + "/";
    tree.writeFile("a.ini", "\xEF\xBB\xBF[Pfade]\r\n1=" + longPath + "\r\n");
    EXPECT_EQ(ProfileFile::load(tree / "a.ini").value("Pfade", "1"), longPath);
    // Missing and unreadable files read as empty profiles.
    EXPECT_EQ(ProfileFile::load(tree / "missing.ini").value("Pfade", "1"), std::nullopt);
    EXPECT_EQ(ProfileFile::load(tree.path()).value("Pfade", "1"), std::nullopt);
}
