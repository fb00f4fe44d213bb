// The one-operation interface through which IMpFactory::createInstance hands the host to a
// new module of the newest edition. It is found by run-time type identification, not by
// queryInterface, so audio and GUI bases share this one declaration.
#pragma once

#include "runtime/audio/mp_abi.h"

class IoldSchoolInitialisation {
public:
    virtual int32_t setHost(gmpi::IMpUnknown* host) = 0;

protected:
    ~IoldSchoolInitialisation() = default;
};
