// What the main window keeps between runs: its geometry, toolbars and splitter.
#include "app/main_form.h"

#include "app/view_layout.h"

#include "ui/app_settings.h"

#include <QSplitter>

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");
const QString StateKey = QStringLiteral("window/state");
const QString SplitterKey = QStringLiteral("window/splitter");

// A stored picture of a window part, or nothing when the value is of another kind.
QByteArray StoredBytes(const AppSettings& settings, const QString& key) {
    const QVariant value = settings.Value(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

} // namespace

void TMainForm::RestoreWindowSettings() {
    const AppSettings settings;
    const QByteArray geometry = StoredBytes(settings, GeometryKey);
    Restored = !geometry.isEmpty() && restoreGeometry(geometry);
    const QByteArray state = StoredBytes(settings, StateKey);
    if (!state.isEmpty())
        restoreState(state);
    const QByteArray splitter = StoredBytes(settings, SplitterKey);
    if (!splitter.isEmpty() && ViewSplitter->restoreState(splitter))
        ViewPanel->PlaceView();
    ViewChoices->RestoreChoice();
}

void TMainForm::SaveWindowSettings() {
    AppSettings settings;
    settings.SetValue(GeometryKey, saveGeometry());
    settings.SetValue(StateKey, saveState());
    settings.SetValue(SplitterKey, ViewSplitter->saveState());
}

void TMainForm::MLimitsClick() {
    ValueLimitsDialog dialog(GetImage(), Warnings, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Warnings = dialog.Limits();
    AppSettings settings;
    SaveWarningLimits(settings, Warnings);
}
