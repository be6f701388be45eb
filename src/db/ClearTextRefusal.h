#pragma once

#include <QString>

// The authentication methods a connection may use, in the form the client library's
// restricted-authentication option takes. The methods that would send the password as readable
// text ("mysql_clear_password", "dialog") are answered by stand-ins of the program's own that send
// nothing and note the refusal, so that the refusal can name the method the server asked for.
const char* AllowedAuthenticationMethods();

// The clear-text method that a stand-in refused on this thread since the last call, or empty.
QString TakeRefusedClearTextMethod();
