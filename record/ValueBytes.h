#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

namespace meterdesk::record {

// Of 16 bytes, those a plain attribute value read by masks may not hold:
// controls (the tab and line breaks among them), "'", "<" and "&". The
// scanner and the row form judge values by this one rule, so that both read
// a value the same way.
inline __m128i ValueBreaks(__m128i bytes) {
    const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
    return _mm_or_si128(_mm_or_si128(controls, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\''))),
                        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                                     _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&'))));
}

} // namespace meterdesk::record
#endif
