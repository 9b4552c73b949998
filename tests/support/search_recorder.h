#pragma once

#include "platform/dir_search.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Records every file a search reports, with the path of the directories entered to reach it ("/"
// between them), and its size.
class SearchRecorder : public platform::TreeVisitor
{
public:
    void enterDirectory(std::string_view name, const platform::EntryIdentity &) override
    {
        m_path.emplace_back(name);
        ++directoriesEntered;
    }
    void leaveDirectory() override { m_path.pop_back(); }
    void file(const platform::FileEntry &entry) override
    {
        std::string path;
        for (std::size_t i = 1; i < m_path.size(); ++i)
            path += m_path[i] + "/";
        files.push_back(path + std::string(entry.name));
        sizes.push_back(entry.sizeBytes);
    }

    std::vector<std::string> files;
    std::vector<std::uint64_t> sizes;
    int directoriesEntered = 0;

private:
    std::vector<std::string> m_path;
};

} // namespace testing_support
