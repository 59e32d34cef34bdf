#pragma once
// Which devices are attached right now, asked of both driver libraries. Each call
// appends one new record per device, in the library's order, to the scan's list; the
// scan calls FTDI first, then QN. Driver errors are logged through the given sink.
#include <memory>
#include <vector>

class TDevEntry;
class TLogSink;

using TDevEntryList = std::vector<std::unique_ptr<TDevEntry>>;

// How a listing went. Only erListed means the appended records are every attached device
// of that kind; after any other outcome the scan must not take a device missing from the
// list for a device that has gone.
enum TEnumResult {
  erListed = 0,      // complete listing (possibly of no device)
  erDriverError,     // a library call failed; "Ошибка в драйвере" was logged
  erIncomplete,      // FTDI only: some description stayed empty through every try
  erNotLoaded,       // the library is not loaded; nothing was asked
};

// Appends a record (serial text, 0xFFFF, adapter kind 0) for every FTDI device whose
// description is exactly "Velmarkon". Retries up to 50 times, 100 ms apart, while some
// device's description is still empty; then lists nothing.
TEnumResult EnumFtdiDevices(TDevEntryList& list, TLogSink& log);

// Appends a record (serial text, device code, adapter kind 1) for every device the
// maker's library lists.
TEnumResult EnumQnDevices(TDevEntryList& list, TLogSink& log);
