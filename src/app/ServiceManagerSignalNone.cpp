// Windows has no such manager: the registry and the folders say everything.
#include "ServiceManagerSignal.h"

namespace lw {

ServiceManagerSignal::ServiceManagerSignal(std::function<void()> changed, QObject *parent)
    : QObject(parent), onChange(std::move(changed)) {}

void ServiceManagerSignal::unitFilesChanged() {}

void ServiceManagerSignal::reloading(bool) {}

} // namespace lw
