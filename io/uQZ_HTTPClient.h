#pragma once
// The HTTP client unit: how an HTTP connection authenticates. The words it is read from and written as
// belong to the connection settings (kConnection::ConvertAuthType, kConnection::AuthTypeToString).

enum qzHTTPAuthType { at_None = 0, at_Basic = 1, at_Digest = 2, at_Bearer = 3 };
