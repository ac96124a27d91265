#include "transport/channels.h"

namespace tamovox {

const ChannelEntry kChannelTable[kChannelTableSize] = {
    {30000, 31000, "Bienvenue"},
    {30001, 31001, "Accueil Général"},
    {30002, 31002, "Place du village"},
    {30003, 31003, "Zone Technologie"},
    {30004, 31004, "Les Ondes Radio"},
    {30005, 31005, "Au café de la gare"},
    {30006, 31006, "Evasion et camping"},
    {30007, 31007, "La bonne ambiance"},
    {30008, 31008, "Entre copines"},
    {30009, 31009, "Musique en stéréo"},
    {30010, 31010, "Tests divers"},
};

int channelIndexOfPort(int channelPort)
{
    const int index = channelPort - kChannelPortBase;
    return index >= 0 && index < kChannelTableSize ? index : -1;
}

int channelIndexOfControlPort(int controlPort)
{
    return channelIndexOfPort(controlPort - kControlPortOffset);
}

const char* channelName(int channelIndex)
{
    return channelIndex >= 0 && channelIndex < kChannelTableSize ? kChannelTable[channelIndex].name : nullptr;
}

}  // namespace tamovox
