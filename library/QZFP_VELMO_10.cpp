// The driver library's entry: its exports are added by the library subsystem.
