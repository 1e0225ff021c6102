#include "document/dialogregistry.h"

namespace qor::dialogregistry {

Slots& Registered() {
    static Slots registered;
    return registered;
}

}  // namespace qor::dialogregistry
