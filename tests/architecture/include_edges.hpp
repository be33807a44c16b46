#pragma once

// The include rules of docs/architecture.md, read from the document itself
// so that the table people read is the table the tree is checked against.

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine::architecture {

// Area name -> the areas its files may include besides its own.
using EdgeTable = std::map<std::string, std::set<std::string>>;

// Reads the "area | may include" table under the "Allowed include edges"
// heading; "platform/*" in a row stands for every platform area of the table.
EdgeTable parseEdgeTable(std::string_view markdown);

// The area a file of the tree belongs to ("velmoradine/platform/http/x.cpp"
// is "platform/http", "apps/main.cpp" is "apps"), or none outside the
// checked folders.
std::optional<std::string> areaOfFile(std::string_view relativePath);

// What is wrong with one include line of a file in `area`, or none. `line`
// is the source line as written; lines that are not includes pass.
std::optional<std::string> checkInclude(const EdgeTable& table, const std::string& area,
                                        std::string_view line);

// Every violation in the checked folders under `sourceDir`, as
// "file:line: message".
std::vector<std::string> checkTree(const EdgeTable& table, const std::filesystem::path& sourceDir);

// The areas of the table that can reach themselves through allowed edges.
std::vector<std::string> areasOnCycles(const EdgeTable& table);

}  // namespace velmoradine::architecture
