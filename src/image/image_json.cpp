#include "image/image_json.h"

#include "image/codepage.h"
#include "image/equipment_bits.h"
#include "image/firmware_image.h"
#include "image/json_writer.h"

#include <type_traits>

namespace {

template <typename T, int N> void WriteVector(JsonWriter& w, const char* key, const T (&v)[N]) {
    w.Key(key);
    w.BeginArray();
    for (const T& x : v) {
        if constexpr (std::is_floating_point_v<T>)
            w.Number(x);
        else
            w.Integer(x);
    }
    w.EndArray();
}

template <int R, int C> void WriteTable(JsonWriter& w, const char* key, const double (&t)[R][C]) {
    w.Key(key);
    w.BeginArray();
    for (const auto& row : t) {
        w.BeginArray();
        for (double x : row)
            w.Number(x);
        w.EndArray();
    }
    w.EndArray();
}

} // namespace

// One key after the other in the order the tool documents; a new key is one more call here.
std::string DecodedImageJson(const FirmwareImage& image) {
    JsonWriter w;
    w.BeginObject();
    w.Key("TauBase");
    w.Integer(image.TauBase);
    WriteVector(w, "Nuz", image.Nuz);
    WriteVector(w, "PRaw", image.PRaw);
    WriteVector(w, "P", image.P);
    WriteVector(w, "PmaxRaw", image.PmaxRaw);
    WriteVector(w, "Pmax", image.Pmax);
    WriteVector(w, "DrmaxRaw", image.DrmaxRaw);
    WriteVector(w, "Drmax", image.Drmax);
    WriteVector(w, "PmaxCol", image.PmaxCol);
    WriteVector(w, "DrmaxSeg", image.DrmaxSeg);
    WriteTable(w, "Uoz", image.Uoz);
    WriteTable(w, "Tau", image.Tau);
    WriteTable(w, "Lambda", image.Lambda);
    WriteTable(w, "CoefCorUoz", image.CoefCorUoz);
    WriteTable(w, "CoefCorTau", image.CoefCorTau);
    WriteTable(w, "CorUoz", image.CorUoz);
    WriteTable(w, "CorTau", image.CorTau);
    WriteTable(w, "Rcod", image.Rcod);
    w.Key("FullLoad");
    w.BeginArray();
    for (const FullLoadPoint& p : image.FullLoad) {
        w.BeginObject();
        w.Key("Pos");
        w.Number(p.Pos);
        w.Key("Uoz");
        w.Number(p.Uoz);
        w.Key("Tau");
        w.Number(p.Tau);
        w.Key("Lambda");
        w.Number(p.Lambda);
        w.EndObject();
    }
    w.EndArray();
    WriteVector(w, "DrmaxCoefCorTau", image.DrmaxCoefCorTau);
    WriteVector(w, "DrmaxCoefCorUoz", image.DrmaxCoefCorUoz);
    w.Key("ident");
    w.BeginObject();
    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        w.Key(FirmwareImage::IdentName(i));
        w.String(Cp1251ToUtf8(image.IdentText(i)));
    }
    w.EndObject();
    w.Key("equipment");
    w.BeginArray();
    for (const bool fitted : ReadEquipment(image))
        w.Bool(fitted);
    w.EndArray();
    w.EndObject();
    return w.Text() + "\n";
}
