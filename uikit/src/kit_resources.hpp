#pragma once

namespace uikit::detail {

/// Registers the kit's compiled-in resources (":/uikit/...") once; safe from any thread.
void ensureKitResources();

} // namespace uikit::detail
