#include "settings/extension_error.h"

namespace ravelo {

ENoExtension::ENoExtension(const std::string& extension)
    : EExtension("Unknown Extension '" + extension + "'") {}

EDuplicateExtension::EDuplicateExtension(const std::string& extension)
    : EExtension("Extension '" + extension + "' Already Defined") {}

ECantAccessRegistry::ECantAccessRegistry()
    : EExtension("Can't Access Registry To Write Extensions Data") {}

EExtensionsNotFound::EExtensionsNotFound()
    : EExtension("Extensions' Data Was Not Found In The Registry") {}

}  // namespace ravelo
