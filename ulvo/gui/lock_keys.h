#pragma once

namespace ulvo {

struct LockKeys {
  bool caps = false;
  bool num = false;
  bool scroll = false;
};

// The keyboard's lock states as the window system reports them; all off where it cannot tell.
LockKeys ReadLockKeys();

}  // namespace ulvo
