#include "support/temp_tree.h"

namespace testing_support {

std::string readAndClose(std::FILE *file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

} // namespace testing_support
