#pragma once

#include "link/exchange.h"
#include "link/frontend.h"
#include "settings/ctlsettings.h"

#include <QObject>
#include <QString>

#include <optional>

namespace quillon {

// One device on one port, driven without a window: the exchange engine with a front end that
// keeps what the window would show. Each exchange is started here and reported by finished();
// sessions share nothing, so one event loop can drive many ports at once.
class DeviceSession : public QObject, private FrontEnd
{
    Q_OBJECT
public:
    // `path` is the device to open; `name` is how the program's own lines name it (the PORT as
    // given, "COM3" or the path). A COM name also names the port in the log and in port errors,
    // as the window does: "COM3 (/dev/ttyUSB0)".
    DeviceSession(const QString &path, const QString &name, ExchangeTiming timing = {},
                  QObject *parent = nullptr);

    // Each starts one exchange and returns false, starting nothing, while another runs.
    bool read();
    bool write(const DeviceSettings &settings);
    bool format();
    // Ends a running format as the window's Abort does.
    void abort();

    bool busy() const { return exchange_.busy(); }
    const QString &path() const { return path_; }
    const QString &name() const { return name_; }

    // The settings of the last read that ended "OK"; nullopt before one.
    std::optional<CtlSettings> settings() const;
    // The last exchange's log, its three lines as the window shows them.
    const QString &log() const { return log_; }
    // One line saying how the last exchange failed: the outcome, or the port error's reason
    // without its "Port error: " prefix. Empty after "OK".
    QString failure() const;
    const ExchangeEnd &lastEnd() const { return end_; }

signals:
    // Raised when an exchange has ended and the port is closed; a slot may start the next one.
    void finished(const quillon::ExchangeEnd &end);
    // The format's progress, 0 to maximum, as the window's bar moves.
    void progress(int value, int maximum);

private:
    QString portName() const override { return portName_; }
    void setLog(const QString &text) override { log_ = text; }
    void appendLog(const QString &text) override { log_ += text; }
    void setLogState(LogState) override {}
    void repaintLog() override {}
    void showControls(const CommandControls &) override {}
    QString boxText(Box box) const override { return boxes_[BoxIndex(box)]; }
    void setBoxText(Box box, const QString &text) override { boxes_[BoxIndex(box)] = text; }
    void focusBox(Box) override {}
    void setProgress(int value, int maximum) override { emit progress(value, maximum); }
    // The command line asks before it starts a format.
    bool confirmFormat() override { return true; }

    void onEnded(const ExchangeEnd &end);

    QString path_;
    QString name_;
    QString portName_; // what the engine opens: name_ when it is a COM name, else path_
    Exchange exchange_;
    BoxTexts<QString> boxes_;
    QString log_;
    ExchangeEnd end_;
    bool readOk_ = false;
};

} // namespace quillon
