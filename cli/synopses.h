#pragma once

namespace quillon {

// Each command's synopsis, written once: its own --help starts with it and quillonctl --help
// lists them all. A line that goes on is indented to its command's arguments.
inline constexpr char kPortsSynopsis[] = "quillonctl ports [--json] [--probe [PORT...]]";
inline constexpr char kReadSynopsis[] = "quillonctl read PORT [--json]";
inline constexpr char kWriteSynopsis[] =
    "quillonctl write PORT [--from FILE] [--serial N] [--mac MAC]\n"
    "                 [--ip A.B.C.D] [--mask A.B.C.D] [--gateway A.B.C.D]\n"
    "                 [--dns1 A.B.C.D] [--dns2 A.B.C.D] [--identity]\n"
    "                 [--defaults] [--json]";
inline constexpr char kFormatSynopsis[] = "quillonctl format PORT --yes";
inline constexpr char kProvisionSynopsis[] =
    "quillonctl provision --plan PLAN.json [--ledger LOCATION] [--watch]\n"
    "                     [--renumber] [--json] [--log FILE]\n"
    "                     [--on-verified COMMAND] PORT...";
inline constexpr char kLedgerSynopsis[] =
    "quillonctl ledger [--ledger LOCATION] [--csv]\n"
    "quillonctl ledger init --plan PLAN.json [--ledger LOCATION]\n"
    "quillonctl ledger backup DEST [--ledger LOCATION]\n"
    "quillonctl ledger adopt [--ledger LOCATION]";

} // namespace quillon
