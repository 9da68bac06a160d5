// Survey, not a test: damages copies of the Jet fixture at random bytes and counts how each
// read ends: the same records, a reported problem, or records that changed without a word.
//   jet_damage_survey [COPIES] [SEED]
// Prints the counts and, for each silent change, the first field that differs.
#include "damaged_jet.h"
#include "params/db/param_db.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Describe(const ConstantRecord& c) {
    std::ostringstream o;
    o << c.Id << '|' << c.Mark << '|' << c.Name << '|' << (c.Result ? *c.Result : -1e300) << '|'
      << c.Unit << '|' << (c.Min ? *c.Min : -1e300) << '|' << (c.Max ? *c.Max : -1e300) << '|'
      << c.InFormula << '|' << c.OutFormula << '|' << c.Address << '|' << c.Type << '|' << c.Decimal
      << '|' << c.BadFields;
    return o.str();
}

std::string Describe(const VectorRecord& v) {
    std::ostringstream o;
    o << v.ID << '|' << v.Mark << '|' << v.Name << '|' << v.Unit << '|' << (v.Min ? *v.Min : -1e300)
      << '|' << (v.Max ? *v.Max : -1e300) << '|' << v.AddressPar << '|' << v.TypePar << '|'
      << v.DecimalPar << '|' << v.InFormula << '|' << v.OutFormula << '|' << v.AddressArg << '|'
      << v.TypeArg << '|' << v.DecimalArg << '|' << v.FormulaArg << '|' << v.MarkArg << '|'
      << v.UnitArg << '|' << v.Count << '|' << v.BadFields;
    return o.str();
}

std::vector<std::string> Records(const ParamDatabase& db) {
    std::vector<std::string> all;
    for (const ConstantRecord& c : db.constants())
        all.push_back("C " + Describe(c));
    for (const VectorRecord& v : db.vectors())
        all.push_back("V " + Describe(v));
    for (const AddressRecord& a : db.addresses())
        all.push_back("A " + a.Name + '|' + a.Val);
    return all;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::stoi(argv[1]) : 450;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::stoul(argv[2])) : 1;
    const QString fixture = QStringLiteral(VELMARIS_FIXTURES_DIR "/database-jet4.mdb");
    const std::vector<std::string> clean = Records(ParamDatabase(fixture));
    const qint64 size = QFile(fixture).size();
    std::mt19937 random(seed);
    QTemporaryDir dir;
    int same = 0, reported = 0, silent = 0;
    for (int i = 0; i < copies; ++i) {
        JetChanges changes;
        const int bytes = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < bytes; ++k)
            changes.push_back({static_cast<qint64>(random() % static_cast<unsigned>(size)),
                               QByteArray(1, static_cast<char>(random() % 256))});
        const QString path = dir.filePath(QStringLiteral("copy%1.mdb").arg(i));
        MakeDamagedJetCopy(fixture, path, changes);
        const ParamDatabase db(path);
        const std::vector<std::string> read = Records(db);
        if (!db.problems().isEmpty()) {
            ++reported;
        } else if (read == clean) {
            ++same;
        } else {
            ++silent;
            std::printf("silent change in copy %d (", i);
            for (const auto& [offset, b] : changes)
                std::printf(" 0x%llx=%02x", static_cast<long long>(offset),
                            static_cast<unsigned char>(b[0]));
            std::printf(" ):\n");
            for (std::size_t r = 0; r < std::max(read.size(), clean.size()); ++r) {
                const std::string a = r < clean.size() ? clean[r] : "(none)";
                const std::string b = r < read.size() ? read[r] : "(none)";
                if (a != b) {
                    std::printf("  was %s\n  now %s\n", a.c_str(), b.c_str());
                    break;
                }
            }
        }
        QFile::remove(path);
    }
    std::printf("%d copies: %d read the same, %d reported, %d changed silently\n", copies, same,
                reported, silent);
    return 0;
}
