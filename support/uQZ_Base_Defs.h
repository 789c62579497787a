#pragma once
// Definitions shared by the support units and their users.

// The entry type of a log line: it selects the separator between the time stamp and the message.
enum tQZ_MessageType { let_info = 0, let_error = 1 };
