#include "platform/profile_file.h"
#include "support/temp_tree.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    platform::SystemError error;
    const auto loaded = ProfileFile::load(tree / "a.ini", error);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->value("Pfade", "1"), longPath);
}

TEST(ProfileFile, ReadsOnlyRegularFilesAndSaysWhyNot)
{
    const testing_support::TempTree tree;
    ASSERT_EQ(mkfifo((tree / "pipe.ini").c_str(), 0600), 0);
    tree.writeFile("a.ini", "[Pfade]\n1=/srv\n");
    // A pipe nobody writes to is refused at once rather than waited on for ever.
    const platform::SystemError notRegular { platform::ErrorKind::NotARegularFile, 0 };
    const std::pair<std::string, platform::SystemError> cases[]
        = { { tree / "missing.ini", platform::systemError(ENOENT) },
              { tree.path(), platform::systemError(EISDIR) }, { tree / "pipe.ini", notRegular },
              { "", platform::systemError(ENOENT) },
              { tree / std::string("a.ini\0x", 7), platform::systemError(ENOENT) } };
    for (const auto &[path, expected] : cases) {
        platform::SystemError error;
        EXPECT_FALSE(ProfileFile::load(path, error)) << path;
        EXPECT_EQ(error, expected) << path;
    }
}

TEST(ProfileFile, LooksUpKeysOfAHugeFileInLinearTime)
{
    std::string text = "[Pfade]\n";
    constexpr int kKeys = 200000;
    for (int key = 1; key <= kKeys; ++key)
        text += std::to_string(key) + "=/srv/" + std::to_string(key) + "\n";
    const ProfileFile profile = ProfileFile::parse(text);
    // Quadratic look-ups would take minutes here; the whole test runs in well under a second.
    for (int key = 1; key <= kKeys; ++key)
        ASSERT_EQ(profile.value("pfade", std::to_string(key)), "/srv/" + std::to_string(key));
}
