// File, Record Input... and Stop Recording.
#include "frontend/MainForm.h"

#include <QAction>
#include <QFileDialog>

namespace velmar {

void TMainForm::RecordInputClick() {
    if (!machine_->GetReady()) {
        ShowNotice(QStringLiteral("Record Input needs a running game"));
        return;
    }
    const auto suggested = files_.DataFolder() / (GameBase() + ".vrec");
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record Input"), QString::fromStdString(suggested.string()),
        QStringLiteral("Input recordings (*.vrec)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty()) RecordInputTo(file);
}

void TMainForm::RecordInputTo(const QString& file) {
    const bool firmware = machine_->GetRamFileName() == GameFiles::kBiosRamFileName;
    recorder_.OnInterrupted = [this](const std::string& why, const Result& written) {
        ShowRecording(false);
        ShowNotice(
            QStringLiteral("Recording stopped: ") + QString::fromStdString(why) +
                (written ? QStringLiteral("; saved")
                         : QStringLiteral("; not saved: ") + QString::fromStdString(written.error)),
            written ? NoticeKind::Done : NoticeKind::Failed);
    };
    if (Result started = recorder_.Start(*machine_, file.toStdString(), firmware ? "" : GameBase());
        !started) {
        ShowNotice(QStringLiteral("Record Input failed: ") + QString::fromStdString(started.error));
        return;
    }
    ShowRecording(true);
    ShowNotice(QStringLiteral("Recording input to ") + file, NoticeKind::Done);
    machine_->ResumeEmulation();
    if (machine_->IsRunning()) ShowLogo(false);
}

void TMainForm::StopRecordingClick() {
    const std::size_t frames = recorder_.Frames();
    ShowRecording(false);
    if (Result written = recorder_.Stop(); !written)
        ShowNotice(QStringLiteral("The recording was not saved: ") +
                   QString::fromStdString(written.error));
    else
        ShowNotice(QStringLiteral("Recording saved: %1 frames").arg(frames), NoticeKind::Done);
}

void TMainForm::ShowRecording(bool recording) {
    Item("mRecordInput")->setEnabled(!recording);
    Item("mStopRecording")->setEnabled(recording);
}

} // namespace velmar
