#include "commands/commands.h"

#include "commands/settingsform.h"
#include "link/exchange.h"
#include "protocol/settingstexts.h"

namespace quillon {

namespace {

QString RefusalLine(const SettingsFromTextsResult &conversion)
{
    const QString box = QString::fromUtf8(BoxOperatorName(conversion.box));
    // A device may report a serial number that the record cannot carry back.
    if (conversion.settings ||
        (conversion.box == Box::serialno && conversion.fault == SettingsFault::OutOfRange)) {
        return QStringLiteral("Write Setup: %1 above 2147483647 cannot be written\r\n").arg(box);
    }
    return QStringLiteral("Write Setup: %1 has no valid value\r\n").arg(box);
}

} // namespace

Commands::Commands(Exchange &exchange, SettingsForm &form) : exchange_(exchange), form_(form) {}

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
        texts[i] = form_.boxText(BoxAt(i)).toStdString();
    }
    const SettingsFromTextsResult conversion = SettingsFromTexts(texts);
    if (!conversion.settings || !IsWritable(*conversion.settings)) {
        form_.setLogState(LogState::Failed);
        form_.setLog(RefusalLine(conversion));
        form_.repaintLog();
        form_.focusBox(conversion.box);
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
    if (exchange_.busy() || !form_.confirmFormat()) {
        return;
    }
    exchange_.StartFormat();
}

} // namespace quillon
