#include "module/linkage.h"

#include "module/constinit.h"
#include "module/gauges.h"

namespace kodrix {

namespace {

constexpr StaticImageElement make_element(GAUGEHDR* gauge, FailureList* failures) {
    StaticImageElement e{};
    e.element_type = kElementStaticImage;
    e.image_resource_id = kGaugeImageResource;
    e.gauge = gauge;
    e.failures = failures;
    e.image_flags = kImageFlags;
    return e;
}

constexpr GAUGEHDR make_header(const char* name, ElementList* elements,
                               GaugeServiceCallback callback) {
    GAUGEHDR h{};
    h.header_version = kGaugeHeaderVersion;
    h.gauge_name = name;
    h.element_list = elements;
    h.query = gauge_query;
    h.install = gauge_install;
    h.initialize = gauge_initialize;
    h.update = gauge_update;
    h.generate = gauge_generate;
    h.draw = gauge_draw;
    h.kill = gauge_kill;
    h.size_mm = kGaugeSizeMm;
    h.service_callback = callback;
    return h;
}

// The element the generic routines hand to the host: the first element of the
// first gauge in Linkage, read afresh on every call.
void* first_gauge_element() { return Linkage.gauges[0]->element_list->elements[0]; }

}  // namespace

KODRIX_CONSTINIT FailureList ks8_failures = {};
KODRIX_CONSTINIT FailureList diss013_failures = {};
KODRIX_CONSTINIT FailureList anu_failures = {};

KODRIX_CONSTINIT StaticImageElement ks8_element = make_element(&ks8_gauge_header, &ks8_failures);
KODRIX_CONSTINIT StaticImageElement diss013_element =
    make_element(&diss013_gauge_header, &diss013_failures);
KODRIX_CONSTINIT StaticImageElement anu_element = make_element(&anu_gauge_header, &anu_failures);

KODRIX_CONSTINIT ElementList ks8_element_list = {{&ks8_element, nullptr}};
KODRIX_CONSTINIT ElementList diss013_element_list = {{&diss013_element, nullptr}};
KODRIX_CONSTINIT ElementList anu_element_list = {{&anu_element, nullptr}};

KODRIX_CONSTINIT GAUGEHDR ks8_gauge_header =
    make_header("KS-8", &ks8_element_list, ks8_service_callback);
KODRIX_CONSTINIT GAUGEHDR diss013_gauge_header =
    make_header("DISS-013", &diss013_element_list, diss013_service_callback);
KODRIX_CONSTINIT GAUGEHDR anu_gauge_header =
    make_header("ANU", &anu_element_list, anu_service_callback);

void KODRIX_CALL module_init_deinit() {}

void KODRIX_CALL gauge_query() { host().element_list_query(first_gauge_element()); }

void KODRIX_CALL gauge_install(void* resource_handle) {
    host().element_list_install(first_gauge_element(), resource_handle);
}

void KODRIX_CALL gauge_initialize() { host().element_list_initialize(first_gauge_element()); }

void KODRIX_CALL gauge_update() { host().element_list_update(first_gauge_element()); }

void KODRIX_CALL gauge_generate(std::uint32_t phase) {
    host().element_list_generate(first_gauge_element(), phase);
}

void KODRIX_CALL gauge_draw() { host().element_list_plot(first_gauge_element()); }

void KODRIX_CALL gauge_kill() { host().element_list_kill(first_gauge_element()); }

}  // namespace kodrix

// C linkage and export come from the declaration in linkage.h.
KODRIX_CONSTINIT kodrix::LinkageRecord Linkage = {
    kodrix::kModuleId,
    kodrix::module_init_deinit,
    kodrix::module_init_deinit,
    0,
    0,
    kodrix::kModuleVersion,
    {&kodrix::ks8_gauge_header, &kodrix::diss013_gauge_header, &kodrix::anu_gauge_header,
     nullptr},
};

extern "C" int KODRIX_CALL DllMain(void*, unsigned long, void*) { return 1; }
