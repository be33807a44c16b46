#include "commands.hpp"

namespace velmoradine::cli {

std::string errorText(const Error& error) {
  std::string text = error.localizedDescription();
  if (!error.detail().empty()) text += " (" + error.detail() + ")";
  return text;
}

}  // namespace velmoradine::cli
