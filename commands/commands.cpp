#include "commands/commands.h"

#include "link/exchange.h"
#include "protocol/settingstexts.h"

namespace quillon {

namespace {

QString RefusalLine(const SettingsFromTextsResult &conversion)
{
    const QString box = QString::fromUtf8(BoxOperatorName(conversion.box));
    // A device may report a serial number that the record cannot carry back.
    if (conversion.box == Box::serialno && conversion.fault == SettingsFault::OutOfRange) {
        return QStringLiteral("Write Setup: %1 above 2147483647 cannot be written\r\n").arg(box);
    }
    return QStringLiteral("Write Setup: %1 has no valid value\r\n").arg(box);
}

} // namespace

Commands::Commands(Exchange &exchange, FrontEnd &frontEnd)
    : exchange_(exchange), frontEnd_(frontEnd)
{
}

void Commands::read_setup_Click()
{
    exchange_.StartRead();
}

void Commands::write_setup_Click()
{
    if (exchange_.busy()) {
        return;
    }
    // The fields are checked before anything starts, so a bad field never reaches the device.
    BoxTexts<std::string> texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts[i] = frontEnd_.boxText(BoxAt(i)).toStdString();
    }
    const SettingsFromTextsResult conversion = SettingsFromTexts(texts);
    if (!conversion.settings) {
        frontEnd_.setLogState(LogState::Failed);
        frontEnd_.setLog(RefusalLine(conversion));
        frontEnd_.repaintLog();
        frontEnd_.focusBox(conversion.box);
        return;
    }
    exchange_.StartWrite(*conversion.settings);
}

void Commands::button_format_flash_Click()
{
    if (exchange_.state() == ExchangeState::Formatting) {
        exchange_.Abort();
        return;
    }
    if (exchange_.busy() || !frontEnd_.confirmFormat()) {
        return;
    }
    exchange_.StartFormat();
}

} // namespace quillon
