# The stand-in Qt answers every version request.
set(PACKAGE_VERSION 6.4.2)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
