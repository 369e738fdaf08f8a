// How long an exchange waits without a time-out from the caller: for the connection, and for
// anything new on it once made. Every backend and the stand-in that drives libcurl for the Mac
// line wait the same, so a stalled gateway fails alike on every platform.
#ifndef PAYGROVE_NET_DEFAULTWAIT_H
#define PAYGROVE_NET_DEFAULTWAIT_H

inline constexpr long kDefaultWaitSeconds = 60;

#endif
