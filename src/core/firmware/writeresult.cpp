#include "firmware/writeresult.h"

#include "protocol/frame.h"
#include "protocol/textformat.h"

namespace {

// A locked device refuses every change whatever the stage that met it, so its reply
// says more than the result code.
bool Locked(std::int32_t resultCode, std::uint32_t lastReplyCode) {
  return resultCode != wrSuccess && lastReplyCode == frame::rcLocked;
}

}  // namespace

TWriteOutcome WriteOutcome(std::int32_t serialNumber, std::int32_t resultCode,
                           std::uint32_t lastReplyCode, std::int32_t elapsed) {
  TWriteOutcome outcome{serialNumber, resultCode, lastReplyCode, elapsed, {}, llError};
  if (Locked(resultCode, lastReplyCode))
    outcome.StatusText = "Прибор заблокирован";
  else if (resultCode == wrIncompatible)
    outcome.StatusText = "Прошивка и прибор не совместимы";
  else if (resultCode != wrSuccess)
    outcome.StatusText = FormatText("Ошибка %d при обновлении прошивки", resultCode);
  else {
    outcome.StatusText = "Обновление прошивки завершено успешно";
    outcome.StatusLevel = llSuccess;
  }
  return outcome;
}

TWriteEndLine WriteEndLine(const TWriteOutcome& outcome) {
  if (Locked(outcome.ResultCode, outcome.LastReplyCode))
    return {llError, "Установлена блокировка изменения настроек"};
  if (outcome.ResultCode == wrIncompatible)
    return {llError, "Прибор не совместим с данной версией прошивки"};
  if (outcome.ResultCode != wrSuccess)
    return {llError, FormatText("(% 6d)Ошибка %d при прошивке. Последний код ответа прибора %d",
                                outcome.Elapsed, outcome.ResultCode,
                                static_cast<int>(outcome.LastReplyCode))};
  return {llInfo, FormatText("(% 6d)Прошивка завершена успешно", outcome.Elapsed)};
}
