#include "firmware/writeresult.h"

#include <gtest/gtest.h>

#include "protocol/frame.h"

// What each way a write ends says on the device's status line and in the event log. A
// locked device's reply outweighs the stage it met, but not a write that went through.
TEST(WriteOutcome, StatusAndLogLineOfEachEnd) {
  const struct {
    std::int32_t code;
    std::uint32_t reply;
    const char* status;
    TLogLevel statusLevel;
    const char* logged;
    TLogLevel logLevel;
  } cases[] = {
      {wrSuccess, frame::rcDone, "Обновление прошивки завершено успешно", llSuccess,
       "(   321)Прошивка завершена успешно", llInfo},
      {wrSuccess, frame::rcLocked, "Обновление прошивки завершено успешно", llSuccess,
       "(   321)Прошивка завершена успешно", llInfo},
      {wrEraseFailed, frame::rcLocked, "Прибор заблокирован", llError,
       "Установлена блокировка изменения настроек", llError},
      {wrWriteFailed, frame::rcLocked, "Прибор заблокирован", llError,
       "Установлена блокировка изменения настроек", llError},
      {wrIncompatible, 0, "Прошивка и прибор не совместимы", llError,
       "Прибор не совместим с данной версией прошивки", llError},
      {wrWriteFailed, frame::rcProtected, "Ошибка 6 при обновлении прошивки", llError,
       "(   321)Ошибка 6 при прошивке. Последний код ответа прибора 131", llError},
      {wrStopped, frame::rcDone, "Ошибка 10 при обновлении прошивки", llError,
       "(   321)Ошибка 10 при прошивке. Последний код ответа прибора 128", llError},
      {wrSectorProtected, frame::rcDone, "Ошибка 11 при обновлении прошивки", llError,
       "(   321)Ошибка 11 при прошивке. Последний код ответа прибора 128", llError},
  };
  for (const auto& c : cases) {
    const TWriteOutcome outcome = WriteOutcome(77, c.code, c.reply, 321);
    EXPECT_EQ(outcome.SerialNumber, 77);
    EXPECT_EQ(outcome.ResultCode, c.code);
    EXPECT_EQ(outcome.LastReplyCode, c.reply);
    EXPECT_EQ(outcome.StatusText, c.status) << c.code << "/" << c.reply;
    EXPECT_EQ(outcome.StatusLevel, c.statusLevel) << c.code << "/" << c.reply;
    const TWriteEndLine line = WriteEndLine(outcome);
    EXPECT_EQ(line.Text, c.logged) << c.code << "/" << c.reply;
    EXPECT_EQ(line.Level, c.logLevel) << c.code << "/" << c.reply;
  }
}
