// The programme-type names, index = PTY code.
#include "ProgrammeTypes.h"

const char* const ProgrammeTypes[ProgrammeTypeCount] = {
    "Undefined", "News", "Affairs", "Info", "Sport", "Educate", "Drama", "Culture",
    "Science", "Varied", "Pop music", "Rock music", "Easy music", "Light music", "Classics", "Other music",
    "Weather", "Finance", "Childrens program", "Social Affairs", "Religion", "Phone In", "Travel", "Leisure",
    "Jazz music", "Country music", "National music", "Oldies music", "Folk music", "Documentaries",
    "Alarm test", "Alarm"};
