// velmaris-cli db convert IN OUT: writes an SQLite copy of a Jet or SQLite parameter database,
// so a user of a Jet file can move to a store the parameter window writes into.

#include "cli/cli_app.h"
#include "cli/command.h"
#include "params/db/param_db.h"

#include <iostream>
#include <memory>

namespace {

int RunDb(const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0] != "convert") {
        std::cerr << "usage: velmaris-cli db convert DATABASE OUT.sqlite\n";
        return 2;
    }
    const auto app = EnsureCoreApplication();

    const QString in = QString::fromStdString(args[1]);
    const QString out = QString::fromStdString(args[2]);
    ParamDatabase db(in);
    if (!db.problems().isEmpty()) {
        for (const QString& p : db.problems())
            std::cerr << "velmaris-cli db: " << p.toStdString() << "\n";
        return 2;
    }
    db.saveAsSQLite(out);
    std::cout << "wrote " << args[2] << " (" << db.constants().size() << " constants, "
              << db.vectors().size() << " vectors, " << db.addresses().size() << " addresses)\n";
    return 0;
}

const CliCommandRegistration registration(
    {"db", "db convert DATABASE OUT.sqlite   write an SQLite copy of a parameter database", RunDb});

} // namespace
