// Resource ids of the sample product's two programs.
#ifndef KELVRA_SAMPLE_APPS_SAMPLE_IDS_H
#define KELVRA_SAMPLE_APPS_SAMPLE_IDS_H

#define IDI_SAMPLE_APP 1

#endif
