#pragma once
// The sprite layer's messages, as players and scripts see them: each
// text is written here once, in UTF-8, and converted to the engine's code page
// on first use. Texts that follow a name start with their own space.
#include <string>

namespace velmora::sprite {

enum class Message {
  NoPicture,
  OrderNotSet,
  SettingNoMemory,
  Setting2NoMemory,
  TextureNotMade,
  NoMemory,
  SizeDiffersFromPending,
  SizeDiffersFromShown,
  PictureTooLarge,
  PictureNotLoaded,
  NotLoadedFromCache,
  BadAddFlag,
  BadSpriteNumber,
  NoPictureForList1,
  NoPictureForList2,
  Count
};

const std::string& messageText(Message message);

}  // namespace velmora::sprite
