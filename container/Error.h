// The error a container reader raises: the text is UTF-8 and names the member when there is one.
#pragma once

#include <stdexcept>

namespace cvd {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace cvd
