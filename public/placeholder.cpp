// Area public: filled by its own work.
