// Named-variable handles and the module-wide table of host units enums.
//
// A NamedVar resolves its host variable by name once, at construction (found
// by check_named_variable, else created by register_named_variable), and from
// then on every access passes the cached id and a UnitCatalog entry. An owned
// handle removes its variable from the host when it is destroyed.
#pragma once

#include <cstdint>

#include "host/host_abi.h"

namespace kodrix {

// Units enums fetched from the host once per module life, in field order.
struct UnitCatalog {
    UnitsEnum units_number;              // "number"
    UnitsEnum units_degree;              // "degree"
    UnitsEnum units_radian;              // "radian"
    UnitsEnum units_feet_per_second;     // "feet per second"
    UnitsEnum units_kilometer_per_hour;  // "kilometer per hour"
    UnitsEnum units_kilometer;           // "kilometer"
    UnitsEnum units_meters_per_second;   // "meters per second"
    UnitsEnum units_meters;              // "meters"
    bool filled;

    // Fills the catalog on its first call in the module's life; later calls
    // make no host call.
    static void ensure_filled();
};

// All zero at load; never cleared.
extern UnitCatalog unit_catalog;

class NamedVar {
public:
    NamedVar(const char* name, std::uint8_t owned);
    ~NamedVar();
    NamedVar(const NamedVar&) = delete;
    NamedVar& operator=(const NamedVar&) = delete;

    NamedVarId id() const { return id_; }
    bool owned() const { return owned_ != 0; }

    double read(UnitsEnum units) const;
    void write(double value, UnitsEnum units) const;

    double read_degrees() const;
    double read_meters_per_second() const;
    // 0..255 written as 0.0..255.0 in "number", never sign-extended.
    void write_byte_as_number(std::uint8_t value) const;
    void write_degrees(double value) const;

private:
    NamedVarId id_;
    std::uint8_t owned_;
};

}  // namespace kodrix
