// Which edition of the module runtime this translation unit is built for.
//
// The all-module library uses the newest edition; the single-module libraries use the
// earlier one (IMpFactory only, the host handed to the module's constructor, reference
// counts starting at 0). The few module-level differences of the single-module builds test
// kSingleModuleBuild by name instead of keeping copies of whole files.
#pragma once

#ifndef PQ_EDITION_EARLIER
#error "PQ_EDITION_EARLIER must be defined by the runtime target (0 newest, 1 earlier)"
#endif

namespace pq {
inline constexpr bool kEarlierEdition = PQ_EDITION_EARLIER != 0;
// The single-module libraries are exactly the earlier-edition builds.
inline constexpr bool kSingleModuleBuild = kEarlierEdition;
} // namespace pq
