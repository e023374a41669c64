#pragma once
// The sprite layer's messages; the texts are in messages.cpp.
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
