// A start-up configuration that reads the tables of an instance setup,
// for tests that call the batch evaluation in-process.
#pragma once

#include "api/library_instance.h"
#include "config/startup.h"
#include "support/test_files.h"

namespace rudid::testing {

// The configuration of setup's three tables, copied into dir, without a
// default.cfg (internal units).
inline StartupConfiguration ConfigurationOfTables(ScratchDirectory &dir, const InstanceSetup &setup = ShippedSetup()) {
    dir.write("zarude.dat", *setup.saturationByPressure);
    dir.write("vevuzu.dat", *setup.saturationByTemperature);
    dir.write("didizar.dat", *setup.singlePhase);
    StartupConfiguration config{};
    LoadConfiguration(dir.path().c_str(), &config);
    return config;
}

}  // namespace rudid::testing
