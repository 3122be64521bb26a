#include "host/named_var.h"

namespace kodrix {

UnitCatalog unit_catalog = {};

void UnitCatalog::ensure_filled() {
    UnitCatalog& c = unit_catalog;
    if (c.filled) return;
    PANELS& h = host();
    c.units_number = h.get_units_enum("number");
    c.units_degree = h.get_units_enum("degree");
    c.units_radian = h.get_units_enum("radian");
    c.units_feet_per_second = h.get_units_enum("feet per second");
    c.units_kilometer_per_hour = h.get_units_enum("kilometer per hour");
    c.units_kilometer = h.get_units_enum("kilometer");
    c.units_meters_per_second = h.get_units_enum("meters per second");
    c.units_meters = h.get_units_enum("meters");
    c.filled = true;
}

NamedVar::NamedVar(const char* name, std::uint8_t owned) : id_(kNoVariable), owned_(owned) {
    id_ = host().check_named_variable(name);
    if (id_ == kNoVariable) id_ = host().register_named_variable(name);
    UnitCatalog::ensure_filled();
}

NamedVar::~NamedVar() {
    if (owned_ == 0 || id_ == kNoVariable) return;
    const char* name = host().get_name_of_named_variable(id_);
    if (name == nullptr) return;  // the host no longer knows the id
    host().unregister_var_by_name(name);
}

double NamedVar::read(UnitsEnum units) const {
    return host().get_named_variable_typed_value(id_, units);
}

void NamedVar::write(double value, UnitsEnum units) const {
    host().set_named_variable_typed_value(id_, value, units);
}

double NamedVar::read_degrees() const { return read(unit_catalog.units_degree); }

double NamedVar::read_meters_per_second() const {
    return read(unit_catalog.units_meters_per_second);
}

void NamedVar::write_byte_as_number(std::uint8_t value) const {
    write(static_cast<double>(static_cast<unsigned>(value)), unit_catalog.units_number);
}

void NamedVar::write_degrees(double value) const { write(value, unit_catalog.units_degree); }

}  // namespace kodrix
