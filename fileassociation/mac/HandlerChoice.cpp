#include "fileassociation/mac/HandlerChoice.h"

#include <array>
#include <utility>

#include "fileassociation/mac/MacAssocConstants.h"

namespace macassoc::HandlerChoice {

std::string_view handlerForTypeName(std::string_view typeName) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kByWord{{
      {kDocumentTypeWord, kDocumentHandler},
      {kSpreadsheetTypeWord, kSpreadsheetHandler},
      {kPresentationTypeWord, kPresentationHandler},
  }};
  for (const auto& [word, handler] : kByWord) {
    if (typeName.find(word) != std::string_view::npos) return handler;
  }
  return kDefaultHandler;
}

}  // namespace macassoc::HandlerChoice
