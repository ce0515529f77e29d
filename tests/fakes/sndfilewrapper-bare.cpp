// Stand-in for a libsndfilewrapper.so without the class-factory export: the
// COM core must take its class as not registered.
extern "C" __attribute__((visibility("default"))) int NoClassFactoryHere()
{
    return 0;
}
