#pragma once

#include "platform/dir_search.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// What a search of a whole temporary tree recorded of every entry in it, as the listing that a
// deletion's walk is checked against records it. Entries are named as the tree names them:
// relative, "/" between the levels; the tree itself is "".
class ListedIdentities : private platform::TreeVisitor
{
public:
    explicit ListedIdentities(const TempTree &tree)
    {
        const platform::SearchOutcome outcome = platform::searchTree(tree.path(), true, *this);
        EXPECT_FALSE(outcome.error) << outcome.path << ": " << outcome.error.code;
    }

    platform::EntryIdentity operator[](const std::string &relative) const
    {
        const auto found = m_identities.find(relative);
        if (found == m_identities.end()) {
            ADD_FAILURE() << "not listed: " << relative;
            return {};
        }
        return found->second;
    }

private:
    void enterDirectory(std::string_view name, const platform::EntryIdentity &identity) override
    {
        m_path.push_back(m_path.empty() ? std::string()
                : m_path.size() == 1    ? std::string(name)
                                        : m_path.back() + "/" + std::string(name));
        m_identities[m_path.back()] = identity;
    }
    void leaveDirectory() override { m_path.pop_back(); }
    void file(const platform::FileEntry &entry) override
    {
        const std::string &folder = m_path.back();
        m_identities[folder.empty() ? std::string(entry.name)
                                    : folder + "/" + std::string(entry.name)]
            = entry.identity;
    }

    std::vector<std::string> m_path;
    std::map<std::string, platform::EntryIdentity> m_identities;
};

} // namespace testing_support
