// Compiled only by the layering tests: includes VORNA_PROBE_HEADER, a header of a layer that the
// linked library must not see. The test passes when the compiler cannot find it.
#include VORNA_PROBE_HEADER
