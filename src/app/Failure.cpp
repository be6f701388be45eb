#include "app/Failure.h"

const char* Failure::what() const noexcept {
    what_ = description.toUtf8();
    return what_.constData();
}
