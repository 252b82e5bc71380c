#include "commands.h"

#include "exchange.h"

namespace quillon {

namespace {

const QString kLabelEnd = QStringLiteral("): -> ");

QString RefusalLine(const SettingsFromTextsResult &conversion)
{
    const QString box = QString::fromUtf8(BoxOperatorName(conversion.box).data(),
                                          BoxOperatorName(conversion.box).size());
    // A device may report a serial number that the record cannot carry back.
    if (conversion.box == Box::serialno && conversion.fault == SettingsFault::OutOfRange) {
        return QStringLiteral("Write Setup: %1 above 2147483647 cannot be written\r\n").arg(box);
    }
    return QStringLiteral("Write Setup: %1 has no valid value\r\n").arg(box);
}

} // namespace

Commands::Commands(Exchange &exchange, WindowInterface &window)
    : exchange_(exchange), window_(window)
{
}

void Commands::read_setup_Click()
{
    if (exchange_.busy()) {
        return;
    }
    exchange_.EnterBusy(Exchange::Variant::ReadWrite);
    if (!exchange_.OpenCom()) {
        return;
    }
    SendRequest(QStringLiteral("Reading Setup ("), BuildFrame(kReadLetter));
    exchange_.ArmReplyTimeout();
}

void Commands::write_setup_Click()
{
    if (exchange_.busy()) {
        return;
    }
    // The fields are checked before anything starts, so a bad field never reaches the device.
    BoxTexts<std::string> texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts[i] = window_.boxText(BoxAt(i)).toStdString();
    }
    const SettingsFromTextsResult conversion = SettingsFromTexts(texts);
    if (!conversion.settings) {
        window_.setStatusColor(kLogRed);
        window_.setStatusText(RefusalLine(conversion));
        window_.repaintStatus();
        window_.focusBox(conversion.box);
        return;
    }
    exchange_.EnterBusy(Exchange::Variant::ReadWrite);
    if (!exchange_.OpenCom()) {
        return;
    }
    SendRequest(QStringLiteral("Writing Setup ("), BuildSetupFrame(*conversion.settings));
    exchange_.ArmReplyTimeout();
}

void Commands::button_format_flash_Click()
{
    if (window_.formatCaption() != QLatin1String(kFormatCaption)) {
        exchange_.Abort();
        return;
    }
    if (exchange_.busy() || !window_.confirmFormat()) {
        return;
    }
    exchange_.StartProgress();
    exchange_.EnterBusy(Exchange::Variant::Format);
    if (!exchange_.OpenCom()) {
        return;
    }
    // No reply timeout here: the full progress bar arms it.
    SendRequest(QStringLiteral("Formatting Flash ("), BuildFrame(kFormatLetter));
}

void Commands::SendRequest(const QString &label, const Bytes &frame)
{
    exchange_.AppendStatus(label + QString::number(exchange_.exchange_no()) + kLabelEnd);
    window_.repaintStatus();
    exchange_.Output(frame);
}

} // namespace quillon
