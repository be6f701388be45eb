#pragma once

#include <mysql.h>

#include <QString>

// The data type codes that a result column carried on the program's original database route. The
// download takes only the two binary-string codes; every other code names the column's type in the
// message that refuses it.
namespace ado {
constexpr int kEmpty = 0;
constexpr int kSmallInt = 2;
constexpr int kInteger = 3;
constexpr int kSingle = 4;
constexpr int kDouble = 5;
constexpr int kBoolean = 11;
constexpr int kTinyInt = 16;
constexpr int kUnsignedTinyInt = 17;
constexpr int kUnsignedSmallInt = 18;
constexpr int kUnsignedInt = 19;
constexpr int kBigInt = 20;
constexpr int kUnsignedBigInt = 21;
constexpr int kBinary = 128;
constexpr int kWChar = 130;
constexpr int kNumeric = 131;
constexpr int kDBDate = 133;
constexpr int kDBTime = 134;
constexpr int kDBTimeStamp = 135;
constexpr int kVarWChar = 202;
constexpr int kLongVarWChar = 203;
constexpr int kVarBinary = 204;
constexpr int kLongVarBinary = 205;
}  // namespace ado

// The character set number that marks a column as bytes rather than text.
constexpr unsigned int kBinaryCharset = 63;

// The type code of a result column: binary strings by their binary character set, text by any
// other; integers by size and sign.
int AdoTypeOf(const MYSQL_FIELD& f);

// Whether a column of this type code can be saved as files.
bool IsBlobType(int adoType);

// The message that refuses a column of another type: the type code lets support tell which type
// the user picked. The separators are single carriage returns.
QString WrongTypeMessage(int adoType);
