#pragma once

#include "platform/errors.h"

namespace plumtide
{

// Tag bytes that cannot be decoded (corrupt compressed frame data), or a tag that cannot be
// encoded (a frame too large for its size field). File-system failures are IOError.
class TagError : public PlumtideError
{
public:
    using PlumtideError::PlumtideError;
};

} // namespace plumtide
