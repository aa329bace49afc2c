// Linked with one layer's library taken whole and the layers below it (TamsivoLayers.cmake):
// the link itself is the check.
int main() {
    return 0;
}
