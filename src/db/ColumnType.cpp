#include "db/ColumnType.h"

#include "core/AppInfo.h"

namespace {
int bySign(const MYSQL_FIELD& f, int signedType, int unsignedType) {
    return (f.flags & UNSIGNED_FLAG) ? unsignedType : signedType;
}
}  // namespace

int AdoTypeOf(const MYSQL_FIELD& f) {
    const bool binary = f.charsetnr == kBinaryCharset;
    switch (f.type) {
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
            return binary ? ado::kLongVarBinary : ado::kLongVarWChar;
        case MYSQL_TYPE_GEOMETRY:
            return ado::kLongVarBinary;
        case MYSQL_TYPE_JSON:
            return ado::kLongVarWChar;
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            return binary ? ado::kVarBinary : ado::kVarWChar;
        case MYSQL_TYPE_STRING:
            if (f.flags & (ENUM_FLAG | SET_FLAG)) return ado::kWChar;
            return binary ? ado::kBinary : ado::kWChar;
        case MYSQL_TYPE_ENUM:
        case MYSQL_TYPE_SET:
            return ado::kWChar;
        case MYSQL_TYPE_TINY:
            return bySign(f, ado::kTinyInt, ado::kUnsignedTinyInt);
        case MYSQL_TYPE_SHORT:
            return bySign(f, ado::kSmallInt, ado::kUnsignedSmallInt);
        case MYSQL_TYPE_YEAR:
            return ado::kSmallInt;
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
            return bySign(f, ado::kInteger, ado::kUnsignedInt);
        case MYSQL_TYPE_LONGLONG:
            return bySign(f, ado::kBigInt, ado::kUnsignedBigInt);
        case MYSQL_TYPE_FLOAT:
            return ado::kSingle;
        case MYSQL_TYPE_DOUBLE:
            return ado::kDouble;
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return ado::kNumeric;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return ado::kDBDate;
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_TIME2:
            return ado::kDBTime;
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_DATETIME2:
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_TIMESTAMP2:
            return ado::kDBTimeStamp;
        case MYSQL_TYPE_BIT:
            return f.length > 1 ? ado::kBinary : ado::kBoolean;
        default:
            return ado::kEmpty;
    }
}

bool IsBlobType(int adoType) {
    return adoType == ado::kVarBinary || adoType == ado::kLongVarBinary;
}

QString WrongTypeMessage(int adoType) {
    return QStringLiteral(
               "Selected field does not appear to be a blob.\r\r"
               "If you feel that this is a valid field, please email ") +
           SupportAddress() + QStringLiteral(" with this: \r\rType: ") + QString::number(adoType);
}
