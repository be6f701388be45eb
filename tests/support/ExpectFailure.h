#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/Failure.h"

// The failure that the call ends with. A call that goes through fails the test with the words
// given and gives a failure numbered -1 without a description.
template <class Call>
Failure ExpectFailure(Call&& call, const std::string& wentThrough) {
    try {
        std::forward<Call>(call)();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << wentThrough;
    return Failure(-1, QString());
}
