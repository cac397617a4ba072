// Platform: the abstract window-system layer; only its destructor lives here.
#include "platform/Platform.h"

Platform::~Platform() = default;
