#include "rewire/mapping.h"

CMIDIMapping::CMIDIMapping() {
    reset();
    addMap(0);
}

void CMIDIMapping::reset() {
    count = 0;
    for (int& target : targets)
        target = 0;
}

int CMIDIMapping::getChannel(int row) const {
    if (row < 0 || row >= count) return -1;
    return targets[row];
}

void CMIDIMapping::setChannel(int row, int target) {
    if (row < 0 || row >= kMaxRows) return;
    targets[row] = target;
}

void CMIDIMapping::addMap(int target) {
    if (count >= kMaxRows) return;
    // The entry of a removed row keeps its value, so a re-added row continues from it.
    targets[count] = target == -1 ? targets[count] + 1 : target;
    count++;
}

void CMIDIMapping::removeMap() {
    if (count >= 2) {
        count--;
        return;
    }
    if (count < kMaxRows) targets[count] = 0;
}

CMIDIRoutes::CMIDIRoutes(const CMIDIMapping& mapping) {
    for (int channel = 0; channel < kChannels; channel++)
        targets[channel] = mapping.getChannel(channel);
}

int CMIDIRoutes::getTarget(int channel) const {
    return channel >= 0 && channel < kChannels ? targets[channel] : -1;
}

void CMIDIRoutes::poison() {
    for (int& target : targets)
        target = -1;
}
