#include "ReferenceNames.h"

const char* ReferenceNames::Intern(std::string_view name) {
    auto found = index.find(name);
    if (found != index.end()) return found->second;
    const char* pText = texts.StoreText(name);
    index.emplace(std::string_view(pText, name.size()), pText);
    return pText;
}
