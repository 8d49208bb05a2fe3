# Windows: the tests under wine and the zip (see mk/windows.mk).
